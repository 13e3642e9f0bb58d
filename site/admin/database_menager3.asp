<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.database_menager3")
obj.main
Set obj = Nothing
%>
