<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.jpsq")
obj.main
Set obj = Nothing
%>
