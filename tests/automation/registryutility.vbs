' RegistryUtility through the automation server: values read as text by
' their registry type, connection settings saved and read back in the Wine
' registry, the write probe.

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

