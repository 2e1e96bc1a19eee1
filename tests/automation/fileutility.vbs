' FileUtility through the automation server: text, CSV, byte-string and
' record files, directory counts and file times, with by-reference
' arguments written back and trapped failures in the main log.

Const OK_TEXT = "Operazione eseguita correttamente"
Dim f, r, before, path, txt
Set f = CreateObject("orvcommon.FileUtility")
Check "created", IsObject(f), True

' --- public fields
Check "daylightoffset starts at 0", f.daylightoffset, 0
f.utcoffset = 90
Check "utcoffset kept", f.utcoffset, 90
Check "utcoffset is Integer", TypeName(f.utcoffset), "Integer"
f.utcoffset = 40000
CheckErr "utcoffset out of range", 6, "Overflow"
f.utcoffset = 0

' --- writeFile and readFile
path = fso.BuildPath(work, "a.txt")
Set r = f.writeFile(path, 0, "abc")
Check "writeFile result", Fields(r), "0|" & OK_TEXT & "|3|writeFile|FileUtility|orvcommon"
Check "writeFile adds CR LF", fso.GetFile(path).Size, 5
txt = "old"
Set r = f.readFile(path, txt)
Check "readFile text", txt, "abc" & vbCrLf
Check "readFile result unfilled", Fields(r), "0||0|||"
Set r = f.writeFile(path, 3, "")
Check "read-only hidden attributes set", fso.GetFile(path).Attributes And 3, 3
Set r = f.writeFile(path, 0, "again")
Check "read-only file overwritten", r.isSuccess() & "/" & fso.GetFile(path).Size, "True/7"
Check "attributes replaced", fso.GetFile(path).Attributes And 3, 0
before = LineCount(mainLog)
txt = "kept"
Set r = f.readFile(fso.BuildPath(work, "missing.txt"), txt)
Check "readFile missing", Fields(r), "53|File not found|1|readFile|FileUtility|orvcommon"
Check "readFile missing keeps text", txt, "kept"
Check "readFile missing logged", LineCount(mainLog), before + 1
Set r = f.writeFile(fso.BuildPath(work, "no\such\folder.txt"), 0, "x")
Check "writeFile missing folder", r.numberInfo & "|" & r.locationInfo, "76|writeFile"

' --- readAndLoadInArrayByCRLF: lines end at CR or CR LF, a lone LF stays
Dim rows, nRows
path = fso.BuildPath(work, "lines.txt")
Set r = f.writeFile(path, 0, "a" & vbCr & "b" & vbCrLf & "c" & vbLf & "d")
nRows = 0
Set r = f.readAndLoadInArrayByCRLF(path, rows, nRows)
Check "lines counted", nRows, 3
Check "line array from 1", LBound(rows) & ".." & UBound(rows), "1..3"
Check "lines", rows(1) & "|" & rows(2) & "|" & rows(3), "a|b|c" & vbLf & "d"
Check "line reader result cleared", Fields(r), "0||4|||"
nRows = 7
Set r = f.readAndLoadInArrayByCRLF(fso.BuildPath(work, "missing.txt"), rows, nRows)
Check "line reader missing", Fields(r), "53|File not found|1|readAndLoadInArrayByCRLF|Utilita|orvcommon"
Check "line reader missing resets rows", LBound(rows) & UBound(rows) & "[" & rows(1) & "]", "11[]"
Check "line reader missing keeps count", nRows, 7

' --- CSV: a table (column, row), elements with index 0 unused
Dim tbl(5, 3), csv, expectCsv
tbl(1, 1) = "abc" : tbl(2, 1) = "12" : tbl(3, 1) = "" : tbl(4, 1) = "12:30" : tbl(5, 1) = "say ""hi"""
tbl(1, 2) = "   " : tbl(2, 2) = ""
tbl(1, 3) = "x" : tbl(2, 3) = "   " : tbl(3, 3) = "-1.5"
expectCsv = """abc"";12;;12:30;""say """"hi""""""" & vbCrLf & """x"";   ;-1.5;;" & vbCrLf
csv = "old"
Set r = f.getCsvStringFromArray(csv, tbl, 3, 5, ",")
Check "csv text", csv, expectCsv
Check "csv result cleared", Fields(r), "0||4|||"
before = LineCount(mainLog)
Set r = f.getCsvStringFromArray(csv, tbl, 4, 5, ";")
Check "csv beyond the table", Fields(r), "9|Subscript out of range|1|getCsvStringFromArray|FileUtility|orvcommon"
Check "csv beyond the table logged", LineCount(mainLog), before + 1
Check "csv lines done before the failure kept", csv, expectCsv

path = fso.BuildPath(work, "t.csv")
Set r = f.writeCsvFileFromArray(path, tbl, 3, 5)
Check "csv file result", Fields(r), "0|" & OK_TEXT & "|3|writeFile|FileUtility|orvcommon"
Set r = f.readFile(path, txt)
Check "csv file text", txt, expectCsv & vbCrLf

' Reading back: a table with first index 1..lNumRows and one row per line.
Dim back, nLines
nLines = 0
Set r = f.getArrayFromCsvFile(path, back, 5, nLines)
Check "csv read non-blank lines", nLines, 2
Check "csv read bounds", LBound(back, 1) & ".." & UBound(back, 1) & "," & LBound(back, 2) & ".." & UBound(back, 2), "1..5,1..3"
Check "csv read cells", back(1, 1) & "|" & back(4, 1) & "|" & back(5, 1) & "|" & back(2, 2) & "|" & back(3, 2), "abc|12:30|say ""hi""|   |-1.5"
Check "csv read result", Fields(r), "0||4|||"
' The table as the library returned it (bounds from 1) goes back in.
Set r = f.getCsvStringFromArray(csv, back, 2, 5, ";")
Check "csv round trip", csv, expectCsv
Set r = f.getArrayFromCsvFile(path, back, 0, nLines)
Check "csv read with no columns", r.numberInfo & "|" & r.locationInfo, "9|getArrayFromCsvFile"

' --- readBinaryFile: the bytes one for one in the string's storage
Dim bin, bs
Set bin = fso.CreateTextFile(fso.BuildPath(work, "four.bin"), True)
bin.Write "A" & Chr(0) & Chr(233) & Chr(0)
bin.Close
Check "four-byte fixture", fso.GetFile(fso.BuildPath(work, "four.bin")).Size, 4
Set r = f.readBinaryFile(fso.BuildPath(work, "four.bin"), bs)
Check "byte string of 4 bytes is 2 units", bs, "A" & Chr(233)
Check "byte string result unfilled", Fields(r), "0||0|||"
Set bin = fso.CreateTextFile(fso.BuildPath(work, "three.bin"), True)
bin.Write Chr(0) & Chr(255) & "A"
bin.Close
Set r = f.readBinaryFile(fso.BuildPath(work, "three.bin"), bs)
' Three bytes make one whole character unit; this script host has no LenB
' to see the third (the compiled client checks the bytes of odd lengths).
Check "odd byte string", Len(bs), 1
bs = "kept"
before = LineCount(mainLog)
Set r = f.readBinaryFile(fso.BuildPath(work, "missing.bin"), bs)
Check "readBinaryFile missing", Fields(r) & "|" & bs, "53|File not found|1|readBinaryFile|FileUtility|orvcommon|kept"
Check "readBinaryFile missing logged", LineCount(mainLog), before + 1

' --- ooReadFile: records of 20 characters, cleaned
Dim recs, lst(5), nObj, p3
recs = fso.BuildPath(work, "recs.txt")
Set r = f.writeFile(recs, 0, "abc" & Space(17) & vbCrLf & Space(20) & vbCrLf & "x" & Chr(1) & "y" & Space(17))
Check "record fixture", fso.GetFile(recs).Size, 66
nObj = 5
lst(3) = "untouched"
Set r = f.ooReadFile(recs, 20, 2, nObj, lst)
Check "records cut to the end", nObj, 2
Check "records cleaned", "[" & lst(1) & "][" & lst(2) & "][" & lst(3) & "]", "[ ][x y][untouched]"
Check "records result", Fields(r), "0|" & OK_TEXT & "|3|ooReadFile|FileUtility|orvcommon"
Set r = f.writeFile(fso.BuildPath(work, "r65.txt"), 0, String(63, "z"))
nObj = 1
Set r = f.ooReadFile(fso.BuildPath(work, "r65.txt"), 20, 1, nObj, lst)
Check "record file length", Fields(r), "-2147220904|File length [65] not compatible with string length[20]|1|ooReadFile||"
Set r = f.writeFile(fso.BuildPath(work, "r62.txt"), 0, String(60, "z"))
Set r = f.ooReadFile(fso.BuildPath(work, "r62.txt"), 30, 1, nObj, lst)
Check "record length", Fields(r), "-2147220904|Lenght string not supported[30] supported type are: 20, 25|1|ooReadFile|FileUtility|orvcommon"
before = LineCount(mainLog)
nObj = 2
Set r = f.ooReadFile(recs, 20, 0, nObj, lst)
Check "record number 0", Fields(r), "63|Bad record number|1|ooReadFile||"
Check "record number 0 not logged", LineCount(mainLog), before
p3 = fso.BuildPath(work, "none.txt")
Set r = f.ooReadFile(p3, 20, 1, nObj, lst)
Check "record file missing", Fields(r), "53|File not found file [" & p3 & "]|1|ooReadFile|FileUtility|orvcommon"

' --- numFileInDir: normal files only
Dim cnt, nf, h
cnt = fso.BuildPath(work, "cnt")
fso.CreateFolder cnt
fso.CreateFolder fso.BuildPath(cnt, "sub")
fso.CreateTextFile(fso.BuildPath(cnt, "a.csv"), True).Close
fso.CreateTextFile(fso.BuildPath(cnt, "b.csv"), True).Close
fso.CreateTextFile(fso.BuildPath(cnt, "c.txt"), True).Close
Set h = fso.CreateTextFile(fso.BuildPath(cnt, "h.csv"), True)
h.Close
fso.GetFile(fso.BuildPath(cnt, "h.csv")).Attributes = 2
Check "hidden fixture", fso.GetFile(fso.BuildPath(cnt, "h.csv")).Attributes And 2, 2
nf = -1
Set r = f.numFileInDir(cnt & "\", nf)
Check "files in folder", nf, 3
Check "count is Integer", TypeName(nf), "Integer"
Check "count result", Fields(r), "0|" & OK_TEXT & "|3|numFileInDir|FileUtility|orvcommon"
Set r = f.numFileInDir(cnt & "\*.csv", nf)
Check "pattern", nf, 2
Set r = f.numFileInDir(cnt, nf)
Check "folder without separator", nf, 0
Set r = f.numFileInDir(fso.BuildPath(work, "nowhere\"), nf)
Check "missing folder", nf & "|" & r.isSuccess(), "0|True"

' --- UpdateFileTime: the three times, shifted by the two fields (TZ is UTC)
Dim tf, m
tf = fso.BuildPath(work, "times.txt")
Set r = f.writeFile(tf, 0, "t")
Set r = f.UpdateFileTime(tf, 2024, 3, 0, 15, 10, 30, 0)
m = fso.GetFile(tf).DateLastModified
Check "file time set", m, DateSerial(2024, 3, 15) + TimeSerial(10, 30, 0)
Check "file time result cleared", Fields(r), "0||4|||"
f.utcoffset = -90 : f.daylightoffset = 1
Set r = f.UpdateFileTime(tf, "2024", 3, 0, 15, "14", 0, 0)
Check "offsets shift the hour", fso.GetFile(tf).DateLastModified, DateSerial(2024, 3, 15) + TimeSerial(12, 0, 0)
f.utcoffset = 120 : f.daylightoffset = 0
Set r = f.UpdateFileTime(tf, 2024, 3, 0, 31, 23, 0, 0)
Check "day 32 leaves the times", fso.GetFile(tf).DateLastModified & "|" & r.typeInfo, DateSerial(2024, 3, 15) + TimeSerial(12, 0, 0) & "|4"
before = LineCount(mainLog)
Set r = f.UpdateFileTime(fso.BuildPath(work, "missing.txt"), 2024, 3, 0, 15, 10, 30, 0)
Check "file time missing file", Fields(r), "-2147220904|Could not open file " & fso.BuildPath(work, "missing.txt") & "|1|UpdateFileTime|FileUtility|orvcommon"
Check "missing file not logged", LineCount(mainLog), before
Set r = f.UpdateFileTime(tf, Null, 3, 0, 15, 10, 30, 0)
Check "file time Null part", r.numberInfo & "|" & r.locationInfo, "94|UpdateFileTime"
Check "Null part logged", LineCount(mainLog), before + 1

