<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.reg")
obj.main
Set obj = Nothing
%>
