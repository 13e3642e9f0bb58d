<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.test")
obj.main
Set obj = Nothing
%>