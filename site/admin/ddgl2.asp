<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.ddgl2")
obj.main
Set obj = Nothing
%>