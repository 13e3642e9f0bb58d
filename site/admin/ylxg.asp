<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.ylxg")
obj.main
Set obj = Nothing
%>
