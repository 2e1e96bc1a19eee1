' Funzioni through the automation server: validators, XML and SQL
' conversions, CSV splitting and sorting, string cleaning, scrambling, PDF
' without an engine and system information.

Const ABORTED = -2147220904
Dim f, r, before, y, v, out
Set f = CreateObject("orvcommon.Funzioni")
Check "created", IsObject(f), True

' --- compact dates, times and placeholders
Check "leap day", f.isDateYYYYMMDD("20240229"), True
Check "no leap day", f.isDateYYYYMMDD("20230229"), False
Check "month 13", f.isDateYYYYMMDD("20231301"), False
Check "two-digit year", f.isDateYYYYMMDD("00190506"), False
Check "separators", f.isDateYYYYMMDD("2023-1-1"), False
Check "date-time", f.isDateYYYYMMDDHH24MISS("20230101235959"), True
Check "date-time hour 24", f.isDateYYYYMMDDHH24MISS("20230101240000"), False
Check "time", f.isTimeHH24MISS("235959"), True
Check "second 60", f.isTimeHH24MISS("235960"), False
Check "zero placeholder", f.isDateYYYYMMDDefault("00000000"), True
Check "zero placeholder exact", f.isDateYYYYMMDDefault("00000000 "), False
Check "space placeholder", f.isDateYYYYMMDDefaultSpaces(Space(8)), True
Check "space placeholder exact", f.isDateYYYYMMDDefaultSpaces(Space(7)), False
y = "2000"
Check "leap 2000", f.isYYYYBisestile(y), True
Check "year argument unchanged", y, "2000"
Check "no leap 1900", f.isYYYYBisestile("1900"), False
Check "short year", f.isYYYYBisestile("24"), False
Check "monday", f.getDayNumberFromYYYYMMDD("20240101"), 2
Check "day number is Integer", TypeName(f.getDayNumberFromYYYYMMDD("20240101")), "Integer"
Check "carried day", f.getDayNumberFromYYYYMMDD("20230230"), 5
Check "unreadable day", f.getDayNumberFromYYYYMMDD("2023AB01"), 0
Check "sunday from a date", f.getDayNumberFromDate(DateSerial(2024, 1, 7)), 1

' --- XML forms
Check "date to XML", f.getDate2Xml("20230506102030"), "2023-05-06T10:20:30"
Check "short date to XML", f.getDate2Xml("20230506"), ""
Check "date from XML", f.getDateFromXml("2023-05-06T10:20:30.125+02:00"), "20230506102030"
Check "date from XML without time", f.getDateFromXml("2023-05-06"), "20230506000000"
Check "bad date from XML is Empty", IsEmpty(f.getDateFromXml("2023-13-06T10:20:30")), True
Check "true to XML", f.getBool2Xml(True), 1
Check "bool to XML is Integer", TypeName(f.getBool2Xml(True)), "Integer"
Check "text -1 to XML", f.getBool2Xml("-1"), 1
Check "1 to XML", f.getBool2Xml(1), 0
Check "Null to XML", f.getBool2Xml(Null), 0
Check "1 from XML", f.getBoolFromXml("1"), True
Check "true from XML", f.getBoolFromXml(True), False
Check "duration", f.getDur2Xml(605), "PT1H0M30S"
Check "duration fraction", f.getDur2Xml(0.1), "PT0H0M.6S"
Check "negative duration", f.getDur2Xml(-10), "PT0H0M-60S"
Check "duration not numeric", f.getDur2Xml("abc"), "PT0H0M0S"
Check "duration from XML", f.getDurFromXml("PT1H30M"), 900
Check "duration from XML lower case", f.getDurFromXml("PT1h30M"), 1300
v = f.getDurFromXml("PTH")
CheckErr "duration without digits", 13, "Type mismatch"
Check "work", f.getWork2Xml(1), "PT0H0M.06S"
Check "work from XML", f.getWorkFromXml("PT8H0M0S"), 480000
Check "work from XML is Double", TypeName(f.getWorkFromXml("PT8H0M0S")), "Double"
Check "double to XML", f.getNumber2Xml(1234.5), "1234.5"
Check "currency to XML rounds to even", f.getNumber2Xml(CCur(2.5)), 2
Check "currency to XML is Long", TypeName(f.getNumber2Xml(CCur(2.5))), "Long"
Check "true to XML number", f.getNumber2Xml(True), -1
Check "Null to XML number", f.getNumber2Xml(Null), ""
Check "comma from XML", f.getNumberFromXml("1,5"), 1.5
Check "point from XML", f.getNumberFromXml("1.5"), 1.5
Check "text from XML", f.getNumberFromXml("abc"), 0
v = f.getNumberFromXml(Empty)
CheckErr "Empty from XML", 13, "Type mismatch"
v = f.getNumber2Xml(CCur(40000) * 100000)
CheckErr "number to XML out of range", 6, "Overflow"

' --- SQL literals
Check "Oracle date", f.getDataForDB(1, "20230506102030"), "to_date('20230506102030','YYYYMMDDHH24MISS')"
Check "Oracle date from a number", f.getDataForDB(1, 20230506102030), "to_date('20230506102030','YYYYMMDDHH24MISS')"
Check "Access date", f.getDataForDB(2, "20230506102030"), "#05/06/2023 10:20:30#"
Check "SQL Server date in the short date form", f.getDataForDB(3, "20230506102030"), "'" & FormatDateTime(DateSerial(2023, 5, 6), 2) & " 10:20:30'"
Check "Access absent date", f.getDataForDB(2, Empty), "Null"
Check "Oracle invalid date", f.getDataForDB(1, "20230230102030"), "''"
Check "unlisted engine date", IsEmpty(f.getDataForDB(4, "20230506102030")), True
v = f.getDataForDB(1, Null)
CheckErr "Null date", 94, "Invalid use of Null"
Check "Oracle sign", f.getBoolForDB(1), -1
Check "Access sign", f.getBoolForDB(2), 1
Check "unlisted sign", f.getBoolForDB(4), 0
v = True
Check "Oracle true", f.getBoolForDBx(1, v), 1
Check "Access true", f.getBoolForDBx(2, v), -1
Check "Boolean argument unchanged", v, True
Check "Access text", f.getBoolForDBx(2, "x"), "Null"
v = -32768
r = f.getBoolForDBx(3, v)
CheckErr "SQL Server -32768", 6, "Overflow"
v = 12.5
Check "Oracle double", f.getNumberForDB(1, v), "12.5"
Check "double written back as text", TypeName(v) & " " & v, "String 12.5"
v = CCur(2.5)
Check "SQL Server currency", f.getNumberForDB(3, v), 2
Check "currency argument unchanged", TypeName(v), "Currency"
Check "Oracle text", f.getNumberForDB(1, "abc"), "''"
Check "unlisted engine number", IsEmpty(f.getNumberForDB(5, 1)), True

' --- CSV lines
Dim fa(3), fb(2), cnt
cnt = Empty
Set r = f.getValueFromCsvString("a;""b;c"";d", fa, cnt)
Check "fields", cnt & "|" & fa(1) & "|" & fa(2) & "|" & fa(3), "3|a|b;c|d"
Check "fields count is Long", TypeName(cnt), "Long"
Check "split result cleared", Fields(r), "0||4|||"
Set r = f.getValueFromCsvString("say ""x"";2", fa, cnt)
Check "quotes kept inside", fa(1), "say ""x"""
Set r = f.getValueFromCsvString("a;b;c", fb, cnt)
Check "too many fields", Fields(r) & "|" & cnt, ABORTED & "|Array di input sottodimensionato|1|getValueFromCsvString|Funzioni|orvcommon|0"
before = LineCount(mainLog)
Set r = f.getValueFromCsvString("a;""", fa, cnt)
Check "single quote field", r.numberInfo <> 0 And r.locationInfo = "getValueFromCsvString", True
Check "single quote field keeps the first", cnt & "|" & fa(1), "1|a"
Check "single quote field logged", LineCount(mainLog), before + 1

' --- sorting by a key
Dim s
s = Array("keep", "b", "a", "C")
Set r = f.quickSortArray(s, 1, 3, 1, 1, False)
Check "sort ignoring case", s(0) & s(1) & s(2) & s(3), "keepabC"
Check "sort result", Fields(r), "0||3|quickSortArray|orvcommon|"
Set r = f.quickSortArray(s, 1, 3, 1, 1, True)
Check "sort by codes", s(1) & s(2) & s(3), "Cab"
s = Array("", "zb", "ya", "xc")
Set r = f.quickSortArray(s, 1, 3, 2, 1, False)
Check "sort by second character", s(1) & s(2) & s(3), "yazbxc"
before = LineCount(mainLog)
Set r = f.quickSortArray(s, 1, 3, 0, 1, False)
Check "key start 0", r.numberInfo & "|" & r.typeInfo & "|" & r.locationInfo, "5|1|quickSortArray"
Check "key start 0 logged", LineCount(mainLog) > before, True

' --- system information
Dim wd, sd, sn
Set r = f.getWinAndSistemDir(wd, sd)
Check "windows directory", UCase(wd), UCase(sh.ExpandEnvironmentStrings("%SystemRoot%"))
Check "system directory", UCase(sd), UCase(wd & "\system32")
Check "directories result", Fields(r), "0||4|||"
sn = Empty
Set r = f.getSerialNumber("C:\", sn)
Check "serial number", sn, Abs(fso.GetDrive("C:").SerialNumber)
Check "serial number is Long", TypeName(sn), "Long"

' --- string cleaning; the output only on success
Set r = f.normStringForDb("it's" & vbCrLf & "a`b   ", out)
Check "for SQL", out, "it''s  a b"
Check "cleaning result", Fields(r), "0||3|normStringForDb|orvcommon|"
Set r = f.normStringForDb("", out)
Check "empty gives one space", out, " "
Set r = f.normStringNoCRLF("one" & vbCrLf & "two", out)
Check "no CR LF", out, "one  two"
Set r = f.normStringOnlyAscii(Chr(1) & "a" & vbTab & Chr(128) & Chr(145) & Chr(224) & Chr(127) & "z", out)
Check "only plain characters", out, " a" & vbTab & " " & Chr(145) & Chr(224) & " z"
Set r = f.normStringOnlyApice("''", out)
Check "apostrophes doubled", out, "''''"
Set r = f.normStringForXML("<a & b> pi" & Chr(249) & " it's", out)
Check "for XML", out, "&lt;a &amp; b&gt; piu` it`s"
Set r = f.normStringOnlyApiceWithNull(Null, out)
Check "Null stays Null", IsNull(out), True
Check "Null result as created", Fields(r), "0||0|||"
Set r = f.normStringOnlyApiceWithNull(12, out)
Check "number as text", TypeName(out) & " " & out, "String 12"
Check "number result from the inner call", r.locationInfo, "normStringOnlyApice"
out = "kept"
before = LineCount(mainLog)
Set r = f.normStringForDb(String(32768, "a"), out)
Check "too long", Fields(r) & "|" & out, "6|Overflow|1|normStringForDb|orvcommon||kept"
Check "too long logged", LineCount(mainLog), before + 1

' --- scrambling: a fixed two-digit shift, reversible
Dim enc, dec, shift
Set r = f.simpleEncrypt(" ab ", enc)
Check "scrambled length", Len(enc), 4
shift = Asc(Left(enc, 1)) - 32
Check "two-digit shift", shift >= 10 And shift <= 99, True
Check "same shift for every character", Asc(Mid(enc, 3, 1)) - Asc(Mid(enc, 2, 1)), 1
Check "scramble result", Fields(r), "0||3|simpleEncrypt|orvcommon|"
Set r = f.simpleDecrypt(enc, dec)
Check "unscrambled", dec & "|" & r.locationInfo, " ab |simpleDecrypt"
Set r = f.simpleEncrypt("", enc)
Check "empty scrambles to empty", enc, ""
enc = "kept"
Set r = f.simpleEncrypt("a" & Chr(255), enc)
Check "code 255 cannot shift", Fields(r) & "|" & enc, "5|Invalid procedure call or argument|1|simpleEncrypt|orvcommon||kept"
Set r = f.simpleDecrypt(vbTab, dec)
Check "tab cannot unshift", r.numberInfo, 5

' --- PDF through our engine, Tvpdf.dll beside the DLL (no configuration)
Dim pdf, cmdFile
Set cmdFile = fso.CreateTextFile(fso.BuildPath(work, "cmd.txt"), True)
cmdFile.WriteLine "TEXT 10 20 ""Delivery note 7"""
cmdFile.Close
Set r = f.createPdfFile(fso.BuildPath(work, "cmd.txt"), fso.BuildPath(work, "out.pdf"))
Check "engine beside the DLL", r.numberInfo & "|" & fso.FileExists(fso.BuildPath(work, "out.pdf")), "0|True"
pdf = "kept"
Set r = f.createPdfStream("TEXT 10 20 ""x""", pdf)
' The PDF comes back as a byte string: a String of two bytes a unit.
Check "stream through the engine", r.numberInfo & "|" & (pdf <> "kept" And Len(pdf) > 100), "0|True"

