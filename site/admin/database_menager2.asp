<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.database_menager2")
obj.main
Set obj = Nothing
%>
