<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.ylxgedit")
obj.main
Set obj = Nothing
%>
