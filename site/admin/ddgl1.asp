<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.ddgl1")
obj.main
Set obj = Nothing
%>