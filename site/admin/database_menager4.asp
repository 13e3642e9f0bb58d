<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.database_menager4")
obj.main
Set obj = Nothing
%>
