<%@ Language=VBScript %>
<meta name='viewport' content='width=device-width, initial-scale=1'>
<link href='css/front.css?v=e1daf3df7c' rel='stylesheet' type='text/css'>
<%
Set nav = Server.CreateObject("tovi.nav")
nav.main
%>
<%
Dim obj
Set obj = Server.CreateObject("mabex.ckdd")
obj.main
Set obj = Nothing
%>
