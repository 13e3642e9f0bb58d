<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.ddgl3")
obj.main
Set obj = Nothing
%>