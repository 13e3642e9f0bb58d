<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.login")
obj.main
Set obj = Nothing
%>
