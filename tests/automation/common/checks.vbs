' The checks every automation script shares. run.sh puts this file before
' each script and common/summary.vbs after it: the script host has no include.
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
