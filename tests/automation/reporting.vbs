' Reporting through the automation server. This build has no drawing
' backend on Windows: every call that needs a target raises 482 "Printer
' error"; the field, the line splitter and the calls that need no target work.

Dim p, s, first, sz
Set p = CreateObject("orvcommon.Reporting")
Check "created", IsObject(p), True

' --- outputMode
Check "outputMode starts at 0", p.outputMode, 0
Check "outputMode is Long", TypeName(p.outputMode), "Long"
p.outputMode = 2
Check "outputMode kept", p.outputMode, 2
p.outputMode = 0

' --- formattaStringa: the first line back, the rest in the argument
Sub Split1(text, width, line, rest)
  s = text
  first = p.formattaStringa(s, width)
  Check "formattaStringa " & text & " " & width, "[" & first & "][" & s & "]", "[" & line & "][" & rest & "]"
End Sub
Split1 "the quick brown fox", 10, "the quick", "brown fox"
Split1 "abcdefghijklmno", 10, "abcdefghij", "klmno"
Split1 "abc def", 7, "abc def", ""
Split1 "abc  def", 4, "abc ", "def"
s = "abc"
first = p.formattaStringa(s, -1)
CheckErr "negative width", 5, "Invalid procedure call or argument"
first = p.formattaStringa(s, 32767)
CheckErr "width 32767", 6, "Overflow"

' --- the form target: drawing needs it and cannot make it
sz = 10
p.openReport
CheckErr "openReport on the form", 482, "Printer error"
p.prtBox 2, 3, 10, 5, 0
CheckErr "prtBox", 482, "Printer error"
p.prtLayoutPaginaBase "Header", , 3
CheckErr "prtLayoutPaginaBase", 482, "Printer error"
p.prtTesto 2, 0, sz, True, False, "text"
CheckErr "prtTesto", 482, "Printer error"
Check "size argument unchanged", sz & TypeName(sz), "10Integer"
p.prtBoxWithTesto 2, 3, sz, False, True, "text", &H404040, 4
CheckErr "prtBoxWithTesto", 482, "Printer error"
p.newPage
Check "newPage on the form does nothing", Err.Number, 0
p.closeReport
Check "closeReport without a form", Err.Number, 0
p.prtBox "a", 3, 10, 5, 0
CheckErr "coordinate that is not a number", 13, "Type mismatch"

' --- the printer target
p.outputMode = 2
p.openReport
CheckErr "openReport on the printer", 482, "Printer error"
p.newPage
CheckErr "newPage on the printer", 482, "Printer error"
p.closeReport
CheckErr "closeReport on the printer", 482, "Printer error"

