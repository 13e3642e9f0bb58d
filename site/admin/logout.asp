<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.logout")
obj.main
Set obj = Nothing
%>
