' RegistryUtility through the automation server: values read as text by
' their registry type, connection settings saved and read back in the Wine
' registry, the write probe.
Option Explicit
Dim failures, checks, fso, sh, work, logDir
failures = 0 : checks = 0
Set fso = CreateObject("Scripting.FileSystemObject")
Set sh = CreateObject("WScript.Shell")
work = sh.Environment("PROCESS")("ORV_WORK")
logDir = sh.Environment("PROCESS")("ORV_LOG")

' A call that raised where none was expected fails the next check.
Sub Check(name, actual, expected)
  Dim ok
  checks = checks + 1
  If Err.Number <> 0 Then
    failures = failures + 1
    WScript.Echo "FAIL " & name & ": unexpected error " & Err.Number & " " & Err.Description
    Err.Clear
    Exit Sub
  End If
  If IsNull(expected) Or IsNull(actual) Then
    ok = IsNull(expected) And IsNull(actual)
  Else
    ok = (actual = expected)
  End If
  If Not ok Then
    failures = failures + 1
    WScript.Echo "FAIL " & name & ": got [" & actual & "] expected [" & expected & "]"
  End If
End Sub

' The run-time error the last call raised, then cleared.
Sub CheckErr(name, number, description)
  checks = checks + 1
  If Err.Number <> number Or Err.Description <> description Or Err.Source <> "orvcommon" Then
    failures = failures + 1
    WScript.Echo "FAIL " & name & ": got error " & Err.Number & " [" & Err.Description & "] from [" & Err.Source & "], expected " & number & " [" & description & "]"
  End If
  Err.Clear
End Sub

' An error raised by the script host or the object system, not the library.
Sub CheckErrNumber(name, number)
  checks = checks + 1
  If Err.Number <> number Then
    failures = failures + 1
    WScript.Echo "FAIL " & name & ": got error " & Err.Number & " [" & Err.Description & "], expected " & number
  End If
  Err.Clear
End Sub

' A result object as number|description|type|location|class|process.
Function Fields(o)
  Fields = o.numberInfo & "|" & o.descriptionInfo & "|" & o.typeInfo & "|" & o.locationInfo & "|" & o.classInfo & "|" & o.processInfo
End Function

Function ReadAll(path)
  ReadAll = ""
  If fso.FileExists(path) Then
    If fso.GetFile(path).Size > 0 Then ReadAll = fso.OpenTextFile(path, 1).ReadAll
  End If
End Function

' Lines of a log file (each ends in CR LF).
Function LineCount(path)
  LineCount = UBound(Split(ReadAll(path), vbCrLf))
  If LineCount < 0 Then LineCount = 0
End Function

Function LastLine(path)
  Dim lines
  lines = Split(ReadAll(path), vbCrLf)
  LastLine = ""
  If UBound(lines) >= 1 Then LastLine = lines(UBound(lines) - 1)
End Function

Dim mainLog
mainLog = fso.BuildPath(logDir, "orvmira.log")
On Error Resume Next

Const HKLM = &H80000002
Const APP = "OrvAutomationTest"
Dim g, r, before, root, key, valueName, v, db, usr, pw
Set g = CreateObject("orvcommon.RegistryUtility")
Check "created", IsObject(g), True

' --- getKeyValue: by type; the three by-reference arguments stay as passed
sh.RegWrite "HKLM\SOFTWARE\" & APP & "\Values\dword", 3, "REG_DWORD"
sh.RegWrite "HKLM\SOFTWARE\" & APP & "\Values\big", 1024000, "REG_DWORD"
sh.RegWrite "HKLM\SOFTWARE\" & APP & "\Values\expand", "%TEMP%\x", "REG_EXPAND_SZ"
sh.RegWrite "HKLM\SOFTWARE\" & APP & "\Values\bin", 5, "REG_BINARY"
root = HKLM : key = "SOFTWARE\VELN\LogSystem" : valueName = "Path"
Check "text value", g.getKeyValue(root, key, valueName), logDir
Check "arguments unchanged", root & "|" & key & "|" & valueName, HKLM & "|SOFTWARE\VELN\LogSystem|Path"
key = "SOFTWARE\" & APP & "\Values"
Check "DWORD value", g.getKeyValue(root, key, "dword"), "&h3"
Check "DWORD in hex", g.getKeyValue(root, key, "big"), "&hFA000"
Check "expandable text not expanded", g.getKeyValue(root, key, "expand"), "%TEMP%\x"
before = LineCount(mainLog)
Check "binary value is empty text", g.getKeyValue(root, key, "bin"), ""
Check "binary value read without a log line", LineCount(mainLog), before
Check "missing value is empty text", g.getKeyValue(root, key, "none"), ""
Check "missing value logged", LineCount(mainLog), before + 1
Check "missing value log line", Mid(LastLine(mainLog), InStr(LastLine(mainLog), "] [") + 1), " [orvcommon] [RegistryUtility] [getKeyValue] [] [1] [0] []"""

' --- saveInfoForConnection: trailing spaces go, leading spaces stay
Set r = g.saveInfoForConnection(APP, "sales db   ", "  user ", "pw")
Check "save result", Fields(r), "0||3|saveInfoForConnection|RegistryUtility|orvcommon"
Check "stored name", sh.RegRead("HKLM\SOFTWARE\" & APP & "\DbAccess\connectionDbName"), "sales db"
Check "stored user", sh.RegRead("HKLM\SOFTWARE\" & APP & "\DbAccess\connectionUser"), "  user"

' --- getInfoForConnection reads them back into the caller's variables
db = Empty : usr = Empty : pw = Empty
Set r = g.getInfoForConnection(APP, db, usr, pw)
Check "read back", db & "|" & usr & "|" & pw, "sales db|  user|pw"
Check "read written back as text", TypeName(usr), "String"
Check "read result", Fields(r), "0||3|getInfoForConnection|RegistryUtility|orvcommon"
before = LineCount(mainLog)
db = "x" : usr = "x" : pw = "x"
Set r = g.getInfoForConnection(APP & "Missing", db, usr, pw)
Check "unknown application", db & usr & pw & "|" & r.isSuccess(), "|True"
Check "unknown application logs three lines", LineCount(mainLog), before + 3

' --- the write probe stores the time of the probe
Dim ok, chk, stamp
ok = g.isRegistryInWritePermission()
Check "write permission", ok, True
chk = sh.RegRead("HKLM\SOFTWARE\VELN\Check")
stamp = Year(Now) & Right("0" & Month(Now), 2) & Right("0" & Day(Now), 2)
Check "probe time", Len(chk) & "|" & Left(chk, 8), "14|" & stamp

If failures = 0 Then
  WScript.Echo "PASS " & checks
Else
  WScript.Echo "FAIL " & failures
End If
WScript.Quit failures
