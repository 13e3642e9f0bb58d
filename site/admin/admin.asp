<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.admin")
obj.main
Set obj = Nothing
%>
