' The automation server as the script host sees it (README.md); what the
' operations compute is checked by the C++ suite. The last line is "PASS n"
' or "FAIL n" and the exit code the failure count: the script host exits 0
' on a syntax error, so run.sh needs the sentinel line too.
Option Explicit
Dim failures, checks, fso, sh, work, logDir
failures = 0 : checks = 0
Set fso = CreateObject("Scripting.FileSystemObject")
Set sh = CreateObject("WScript.Shell")
work = sh.Environment("PROCESS")("ORV_WORK")
logDir = sh.Environment("PROCESS")("ORV_LOG")

Sub Fail(text)
  failures = failures + 1
  WScript.Echo "FAIL " & text
End Sub

' A call that raised where none was expected fails the next check.
Sub Check(name, actual, expected)
  checks = checks + 1
  If Err.Number <> 0 Then
    Fail name & ": unexpected error " & Err.Number & " " & Err.Description
  ElseIf IsNull(actual) Or actual <> expected Then
    Fail name & ": got [" & actual & "] expected [" & expected & "]"
  End If
  Err.Clear
End Sub

' The error the last call raised, then cleared. Without a description it is
' the script host's or the object system's own.
Sub CheckErr(name, number, description)
  checks = checks + 1
  If Err.Number <> number Or (description <> "" And (Err.Description <> description Or Err.Source <> "orvcommon")) Then
    Fail name & ": got error " & Err.Number & " [" & Err.Description & "] from [" & Err.Source & "], expected " & number & " [" & description & "]"
  End If
  Err.Clear
End Sub

On Error Resume Next
Dim r, x

' --- ErrInfo: both ProgIDs, Variants by reference, a record as an array
Dim e, e1
Set e = CreateObject("orvcommon.ErrInfo")
Set e1 = CreateObject("orvcommon.ErrInfo.1")
Check "created by the versioned ProgID", e1.typeInfo, 0
Set x = CreateObject("orvcommon.NxGlobal")
CheckErr "NxGlobal is not creatable", 429, ""

' getInfo writes into the script's variables, in the declared types.
Dim n, d, t, l, oc, op, os
r = e.ErrInfo(-5, "desc", -1, "loc", "c", "p", 7)
r = e.getInfo(n, d, t, l, oc, op, os)
Check "getInfo written back", n & "|" & d & "|" & t & "|" & l & "|" & oc & "|" & op & "|" & os, "-5|desc|-1|loc|c|p|7"
Check "getInfo types (an enumeration is a Long)", TypeName(n) & " " & TypeName(t) & " " & TypeName(os), "Long Long String"

' clone stores a new object in the caller's object variable.
Dim copy, ret
r = e.ErrInfoNew(Array("2.5", "rec", 2, "loc", Empty, Empty, Empty))
Check "record as an array", r & "|" & e.numberInfo & "|" & e.descriptionInfo, "0|2|rec"
Set copy = e1
Set ret = e.clone(copy)
Check "clone writes a new object back", (copy Is e1) & "|" & copy.descriptionInfo & "|" & ret.typeInfo, "False|rec|4"

' Run-time errors: the library's with its source, the dispatcher's own.
r = e.ErrInfo(9, "nine", 70000, "never")
CheckErr "Integer overflow", 6, "Overflow"
r = e.ErrInfo(1, "x", 1, "y", Null)
CheckErr "Null optional", 94, "Invalid use of Null"
e.noSuchMember
CheckErr "unknown member", 438, ""
r = e.ErrInfo(1)
CheckErr "missing required argument", 449, ""

' The log settings come from this architecture's registry view, where
' run.sh points the log folder at ORV_LOG.
Dim p, tr, sw
sh.RegWrite "HKLM\SOFTWARE\VELN\LogSystem\Trace", 3, "REG_DWORD"
Check "settings of this view", e.getInfoForLogSystem(p, tr, sw) & "|" & p & "|" & tr & "|" & TypeName(tr) & "|" & TypeName(sw), "True|" & logDir & "\|3|Integer|Long"

' --- FileUtility: a property put, a table and an Integer by reference
Dim f, path, tbl(2, 2), back, nLines, nf
Set f = CreateObject("orvcommon.FileUtility")
f.utcoffset = 40000
CheckErr "property out of range", 6, "Overflow"
path = fso.BuildPath(work, "a.txt")
Set r = f.writeFile(path, 0, "a" & vbCrLf & "b")
nf = -1
Set r = f.numFileInDir(work & "\*.txt", nf)
Check "Integer by reference", nf & " " & TypeName(nf), "1 Integer"

' A script's table (bounds from 0, column first) goes in; the library's
' table (bounds from 1, a row for the blank last line) comes back.
tbl(1, 1) = "x" : tbl(2, 1) = "1" : tbl(1, 2) = "y" : tbl(2, 2) = "2"
path = fso.BuildPath(work, "t.csv")
Set r = f.writeCsvFileFromArray(path, tbl, 2, 2)
Set r = f.getArrayFromCsvFile(path, back, 2, nLines)
Check "table back", LBound(back, 1) & ".." & UBound(back, 1) & "," & LBound(back, 2) & ".." & UBound(back, 2) & "|" & nLines & "|" & back(1, 2) & back(2, 2), "1..2,1..3|2|y2"

' --- Funzioni: Boolean, Date and Currency values, Variant arrays in place
Dim fz, v, s, fa(3), cnt, pdf
Set fz = CreateObject("orvcommon.Funzioni")
Check "Date argument", fz.getDayNumberFromDate(DateSerial(2024, 1, 7)), 1
Check "Boolean argument", fz.getBool2Xml(True), 1
Check "Currency argument", fz.getNumber2Xml(CCur(2.5)), 2
v = 12.5
Check "Double by reference", fz.getNumberForDB(1, v) & "|" & TypeName(v) & " " & v, "12.5|String 12.5"
s = Array("keep", "b", "a", "C")
Set r = fz.quickSortArray(s, 1, 3, 1, 1, False)
Check "Variant array sorted in place", s(0) & s(1) & s(2) & s(3) & "|" & LBound(s) & UBound(s), "keepabC|03"
Set r = fz.getValueFromCsvString("a;""b;c""", fa, cnt)
Check "fixed array filled", cnt & " " & TypeName(cnt) & "|" & fa(1) & "|" & fa(2) & "|" & UBound(fa), "2 Long|a|b;c|3"
' The PDF engine is found beside the server DLL, not beside the host program.
Set r = fz.createPdfStream("TEXT 10 20 ""x""", pdf)
Check "byte string from the engine", r.numberInfo & "|" & (Len(pdf) > 100), "0|True"

' --- RegistryUtility: the same registry view as the host
Const HKLM = &H80000002
Dim g, root, key
Set g = CreateObject("orvcommon.RegistryUtility")
Set r = g.saveInfoForConnection("OrvAutomationTest", "db", "user", "pw")
Check "what the script host reads", sh.RegRead("HKLM\SOFTWARE\OrvAutomationTest\DbAccess\connectionUser"), "user"
root = HKLM : key = "SOFTWARE\VELN\LogSystem"
Check "a value the script host wrote", g.getKeyValue(root, key, "Trace") & "|" & root & "|" & key, "&h3|" & HKLM & "|SOFTWARE\VELN\LogSystem"

' --- NxInet: a handle by reference, optionals left out in the middle
Dim ni, hs, h2
Set ni = CreateObject("orvcommon.NxInet")
Set r = ni.IOpen(hs)
Check "handle by reference", (hs > 0) & " " & TypeName(hs), "True Long"
Set r = ni.IOpenExtended(h2, "agent", 0, , , 0)
Check "optionals left out in the middle", (h2 > 0) & " " & r.isSuccess(), "True True"
r = ni.IClose(hs) + ni.IClose(h2)

' --- Reporting: a String by reference
Dim rep
Set rep = CreateObject("orvcommon.Reporting")
s = "the quick brown fox"
Check "first line back, the rest by reference", rep.formattaStringa(s, 10) & "|" & s, "the quick|brown fox"

If failures = 0 Then
  WScript.Echo "PASS " & checks
Else
  WScript.Echo "FAIL " & failures
End If
WScript.Quit failures
