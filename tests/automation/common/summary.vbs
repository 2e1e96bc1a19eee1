' The end of every automation script: the sentinel line run.sh looks for, and
' the failure count as the exit code.
If failures = 0 Then
  WScript.Echo "PASS " & checks
Else
  WScript.Echo "FAIL " & failures
End If
WScript.Quit failures
