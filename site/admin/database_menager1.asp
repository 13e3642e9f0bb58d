<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.database_menager1")
obj.main
Set obj = Nothing
%>
