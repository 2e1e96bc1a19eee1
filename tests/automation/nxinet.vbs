' NxInet through the automation server against the loopback HTTP server
' that run.sh starts (its port in ORV_PORT): handles held by the caller,
' bodies read in full, failures as results that are not logged.

Const ABORTED = -2147220904
Dim n, r, before, base, hs, hu, url, buf, i, ok
Set n = CreateObject("orvcommon.NxInet")
Check "created", IsObject(n), True
base = "http://127.0.0.1:" & sh.Environment("PROCESS")("ORV_PORT")

' --- session, URL, body, close
hs = Empty
Set r = n.IOpen(hs)
Check "session opened", hs > 0, True
Check "session is Long", TypeName(hs), "Long"
Check "open result unfilled", Fields(r), "0||0|||"
url = base & "/bytes/10000"
hu = Empty
Set r = n.IOpenUrl(hs, url, hu)
Check "url opened", hu > 0 And hu <> hs, True
Check "url argument unchanged", url, base & "/bytes/10000"
buf = "old"
Set r = n.IReadFile(hu, buf)
Check "whole body", Len(buf), 10000
' Byte i of the body is i mod 256, read as text in the ANSI code page.
ok = True
For i = 1 To 10000 Step 997
  If Asc(Mid(buf, i, 1)) <> ((i - 1) Mod 256) Then ok = False
Next
Check "body bytes", ok, True
Check "read result unfilled", Fields(r), "0||0|||"
Set r = n.IReadFile(hu, buf)
Check "second read is empty", buf, ""
Check "close url", n.IClose(hu), 0
Check "close leaves the handle", hu > 0, True
Set r = n.IReadFile(hu, buf)
Check "read on a closed handle", buf & "|" & r.isSuccess(), "|True"

' An HTTP error status is read like any other body.
url = base & "/status/404"
Set r = n.IOpenUrl(hs, url, hu)
Set r = n.IReadFile(hu, buf)
Check "404 body", buf, "missing page"
Check "close url again", n.IClose(hu), 0
Check "close session", n.IClose(hs), 0
Check "close 0", n.IClose(0), 0

' --- a refused connection: HTTP Error, handle unchanged, nothing logged
Dim h2
before = LineCount(mainLog)
Set r = n.IOpenExtended(h2)
Check "extended session, optionals omitted", h2 > 0 And r.isSuccess(), True
Set r = n.IOpenExtended(h2, "agent", 0, , , 0)
Check "extended session, some optionals", r.isSuccess(), True
hu = 77
url = "http://127.0.0.1:1/"
Set r = n.IOpenUrl(h2, url, hu)
Check "refused", Fields(r), ABORTED & "|HTTP Error|1|IOpenUrl|NxInet|orvcommon"
Check "refused leaves the handle", hu, 77
Check "refused not logged", LineCount(mainLog), before
r = n.IClose(h2)
Check "buffer property", n.Buffer, ""

' --- agent names, and the proxy given to IOpenExtended. The proxied address
' names the origin as localhost, so that no open direct connection to
' 127.0.0.1 can carry the request.
Function Body(session, address)
  Dim u, h, b, res
  u = address
  Set res = n.IOpenUrl(session, u, h)
  Set res = n.IReadFile(h, b)
  res = n.IClose(h)
  Body = b
End Function
Dim hp, proxied
Set r = n.IOpen(hs)
Check "agent of IOpen", InStr(Body(hs, base & "/headers"), "User-Agent: Prova di WinInet!" & vbLf) > 0, True
r = n.IClose(hs)
hp = Empty
Set r = n.IOpenExtended(hp, "ignored agent", 1, "127.0.0.1:" & sh.Environment("PROCESS")("ORV_PROXY_PORT"))
proxied = Body(hp, "http://localhost:" & sh.Environment("PROCESS")("ORV_PORT") & "/headers")
Check "request through the proxy", InStr(proxied, "Via: 1.1 orvtestproxy") > 0, True
Check "agent of IOpenExtended", InStr(proxied, "User-Agent: WinInet!" & vbLf) > 0, True
r = n.IClose(hp)

' --- failures outside the internet calls reach the caller
Set r = n.IOpenExtended(h2, , , Null)
CheckErr "Null proxy name", 94, "Invalid use of Null"

