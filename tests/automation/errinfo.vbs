' Result object through the automation server: fill, record fill, attribute
' string, clone, by-reference read-out, log settings from the registry and
' the log files they choose.

' --- creation by ProgID, both forms; a new object
Dim e, e1, bad
Set e = CreateObject("orvcommon.ErrInfo")
Set e1 = CreateObject("orvcommon.ErrInfo.1")
Check "new typeInfo", e1.typeInfo, 0
Check "new isSuccess", e1.isSuccess(), True
Check "new attribute string", e1.getAttrEqualValue(), ""
Set bad = CreateObject("orvcommon.NxGlobal")
CheckErrNumber "NxGlobal is not creatable", 429

' --- the fill operation and the seven properties in their own types
Dim r
r = e.ErrInfo(53, "File not found", 1, "readFile", "cls", "proc", "step")
Check "fill status", r, 0
Check "numberInfo", e.numberInfo, 53
Check "numberInfo type", TypeName(e.numberInfo), "Long"
Check "typeInfo type", TypeName(e.typeInfo), "Integer"
Check "isSuccess type", TypeName(e.isSuccess()), "Boolean"
Check "descriptionInfo", e.descriptionInfo, "File not found"
Check "locationInfo", e.locationInfo, "readFile"
Check "classInfo from 5th", e.classInfo, "cls"
Check "processInfo from 6th", e.processInfo, "proc"
Check "stepInfo", e.stepInfo, "step"
Check "attribute string", e.getAttrEqualValue(), _
  "vntNumberInfo=""53"" vntDescriptionInfo=""File not found"" vntTypeInfo=""1"" vntLocationInfo=""readFile"" vntProcessInfo=""proc"" vntClassInfo=""cls"" vntStepInfo=""step"" "
Check "53 is a failure", e.isSuccess(), False

' Omitted optionals empty the three fields; a library code is negative and
' stays out of the attribute string; texts are trimmed there only.
r = e.ErrInfo(-2147220904, "  x  ", 2, "IOpen")
Check "omitted optionals", e.classInfo & e.processInfo & e.stepInfo, ""
Check "description kept untrimmed", e.descriptionInfo, "  x  "
Check "negative number left out", e.getAttrEqualValue(), "vntDescriptionInfo=""x"" vntTypeInfo=""2"" vntLocationInfo=""IOpen"" "

' --- getInfo writes back into the caller's variables
Dim n, d, t, l, oc, op, os
r = e.ErrInfo(-5, "desc", -1, "loc", "c", "p", 7)
n = Empty : d = Empty : t = Empty : l = Empty
r = e.getInfo(n, d, t, l, oc, op, os)
Check "getInfo status", r, 0
Check "getInfo number", n, -5
Check "getInfo number type", TypeName(n), "Long"
Check "getInfo description", d, "desc"
Check "getInfo type sign-extended", t, -1
Check "getInfo location", l, "loc"
Check "getInfo optionals", oc & "|" & op & "|" & os, "c|p|7"
Check "getInfo step is text", TypeName(os), "String"
n = 99
r = e.getInfo(n, d, t, l)
Check "getInfo without optionals", n, -5

' --- clear
e.clear
Check "clear typeInfo", e.typeInfo, 4
Check "clear attribute string", e.getAttrEqualValue(), "vntTypeInfo=""4"" "

' --- ErrInfoNew from a record of seven fields
r = e.ErrInfo(1, "old", 1, "old")
r = e.ErrInfoNew(Array("2.5", Empty, Null, "   ", "P", "C", "S"))
Check "record status", r, 0
Check "record 2.5 rounds to even", e.numberInfo, 2
Check "record Empty, Null, blanks keep fields", e.descriptionInfo & e.typeInfo & e.locationInfo, "old1old"
Check "record texts", e.processInfo & e.classInfo & e.stepInfo, "PCS"
r = e.ErrInfoNew(Array("abc", "d", "3.5", Empty, Empty, Empty, Empty))
Check "record non-numeric status", r, -2147220904
Check "record non-numeric number kept", e.numberInfo, 2
Check "record later fields still stored", e.descriptionInfo & e.typeInfo, "d4"
r = e.ErrInfoNew(Array(8, "e", 70000, Empty, Empty, Empty, Empty))
CheckErr "record type overflow", 6, "Overflow"
Check "record fields before the overflow stored", e.numberInfo & e.descriptionInfo, "8e"

' --- run-time errors of the fill operation reach the caller
r = e.ErrInfo(9, "nine", 70000, "never")
CheckErr "fill type overflow", 6, "Overflow"
Check "fill stored number and description first", e.numberInfo & e.descriptionInfo & e.locationInfo, "9nineold"
r = e.ErrInfo(1, "x", 1, "y", Null)
CheckErr "fill Null optional", 94, "Invalid use of Null"
e.noSuchMember
CheckErrNumber "unknown member", 438
r = e.ErrInfo(1)
CheckErrNumber "missing required argument", 449

' --- clone: a new copy in the argument, a cleared object as result
Dim src, copy, ret
Set src = CreateObject("orvcommon.ErrInfo")
r = src.ErrInfo(76, "Path not found", 2, "loc", "cls", "proc", "st")
Set copy = e1
Set ret = src.clone(copy)
Check "clone replaces the object held", copy Is e1, False
Check "clone leaves the object held unchanged", e1.typeInfo, 0
Check "clone copy fields", copy.getAttrEqualValue(), src.getAttrEqualValue()
Check "clone result cleared", ret.numberInfo & "/" & ret.typeInfo & "/" & ret.locationInfo, "0/4/"
r = copy.ErrInfo(1, "changed", 1, "changed")
Check "clone is independent", src.descriptionInfo, "Path not found"

' --- log settings read from the registry
Dim p, tr, sw, ok
ok = e.getInfoForLogSystem(p, tr, sw)
Check "settings read", ok, True
Check "log folder with backslash", p, logDir & "\"
Check "default trace", tr, 1
Check "default switch size", sw, 1024000
Check "trace written back as Integer", TypeName(tr), "Integer"
sh.RegWrite "HKLM\SOFTWARE\VELN\LogSystem\Trace", 3, "REG_DWORD"
sh.RegWrite "HKLM\SOFTWARE\VELN\LogSystem\SwitchDimension", "0", "REG_SZ"
ok = e.getInfoForLogSystem(p, tr, sw)
Check "DWORD trace read as &h3", tr, 3
Check "switch size 0 as read", sw, 0
sh.RegWrite "HKLM\SOFTWARE\VELN\LogSystem\Trace", "70000", "REG_SZ"
tr = 5
ok = e.getInfoForLogSystem(p, tr, sw)
Check "trace out of range fails", ok, False
Check "trace left at its default", tr, 1
sh.RegWrite "HKLM\SOFTWARE\VELN\LogSystem\Trace", "abc", "REG_SZ"
e.runInitialize
Check "runInitialize never fails", Err.Number, 0

' --- writeLog: main log for errors, named file by trace level
Dim before, w, named, line, stamp
before = LineCount(mainLog)
r = e.ErrInfo(53, "File not found", 1, "readFile", "cls", "proc", "step")
Set w = e.writeLog()
Check "writeLog result", w.isSuccess() & "/" & w.typeInfo & "/" & w.locationInfo, "True/3/writeLog"
Check "error reaches the main log", LineCount(mainLog), before + 1
line = LastLine(mainLog)
stamp = """[" & Day(Now) & "/" & Month(Now) & "/" & Right(CStr(Year(Now)), 2) & " "
Check "log line date", Left(line, Len(stamp)), stamp
Check "log line fields", Mid(line, InStr(line, "] [") + 1), " [proc] [cls] [readFile] [step] [1] [53] [File not found]"""

named = fso.BuildPath(work, "named.log")
r = e.ErrInfo(0, "info", 3, "here")
Set w = e.writeLog(named)
Check "information not written at trace 1", fso.FileExists(named), False
Check "information never in the main log", LineCount(mainLog), before + 1
sh.RegWrite "HKLM\SOFTWARE\VELN\LogSystem\Trace", "3", "REG_SZ"
Set w = e.writeLog(named)
Check "information written at trace 3", LineCount(named), 1
Set w = e1.writeLog(named)
Check "an unfilled object (level 0) goes to the named file", LineCount(named), 2
Check "and not to the main log", LineCount(mainLog), before + 1
sh.RegWrite "HKLM\SOFTWARE\VELN\LogSystem\Trace", "1", "REG_SZ"

' Rotation: a named file above the switch size moves to .old first.
Dim big
Set big = fso.CreateTextFile(fso.BuildPath(work, "big.log"), True)
big.Write String(1024001, "x")
big.Close
r = e.ErrInfo(5, "Invalid procedure call or argument", 1, "rot")
Set w = e.writeLog(fso.BuildPath(work, "big.log"))
Check "rotated copy", fso.GetFile(fso.BuildPath(work, "big.log.old")).Size, 1024001
Check "rotated file restarts with one line", LineCount(fso.BuildPath(work, "big.log")), 1

