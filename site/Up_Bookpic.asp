<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.up_bookpic")
obj.main
Set obj = Nothing
%>
