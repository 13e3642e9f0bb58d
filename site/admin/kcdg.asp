<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.kcdg")
obj.main
Set obj = Nothing
%>
