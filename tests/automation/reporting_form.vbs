' A report drawn on the preview form through the automation server and saved
' as PNG when the form closes, to the file ORV_PREVIEW_PNG names (run.sh sets
' it). The suite runs without a display, so the form draws off screen.

Dim r, sz, png
png = sh.Environment("PROCESS")("ORV_PREVIEW_PNG")
Check "ORV_PREVIEW_PNG is set", png <> "", True
If fso.FileExists(png) Then fso.DeleteFile png
Set r = CreateObject("orvcommon.Reporting")
sz = 11
r.openReport
Check "openReport on the form", Err.Number, 0
r.prtLayoutPaginaBase "Stock report", "Shop", 1, True
r.prtBox 6, 6, 10, 8, &HFF
r.prtTesto 2, 10, sz, False, False, "Line of text"
r.prtBoxWithTesto 2, 12, sz, True, False, "Boxed", &HC0C0C0, 4
Check "drawing on the form", Err.Number, 0
Check "size argument unchanged", sz & TypeName(sz), "11Integer"
Check "no file before closeReport", fso.FileExists(png), False
r.closeReport
Check "closeReport", Err.Number, 0
Check "PNG written at closeReport", fso.FileExists(png), True
If fso.FileExists(png) Then Check "PNG not empty", fso.GetFile(png).Size > 1000, True
' The form is gone: closing again does nothing.
r.closeReport
Check "closeReport again", Err.Number, 0
