<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.manageadmin")
obj.main
Set obj = Nothing
%>
