<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.adminframe")
obj.main
Set obj = Nothing
%>
