<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.menu")
obj.main
Set obj = Nothing
%>
