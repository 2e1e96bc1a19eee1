' Reporting through the automation server: the field, the line splitter, a
' coordinate that is not a number, and no printer at all (482 "Printer error"
' at openReport). reporting_form.vbs draws on the form.

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

' --- a coordinate that is not a number fails before any drawing
p.prtBox "a", 3, 10, 5, 0
CheckErr "coordinate that is not a number", 13, "Type mismatch"

' --- the printer target: no printer (run.sh points CUPS_SERVER at a port
' nobody listens on, so Wine lists none)
p.outputMode = 2
p.openReport
CheckErr "openReport without a printer", 482, "Printer error"
p.newPage
CheckErr "newPage without a printer", 482, "Printer error"
p.closeReport
Check "closeReport with nothing printed", Err.Number, 0
