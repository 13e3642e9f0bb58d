<%@ Language=VBScript %>
<%
Set obj = Server.CreateObject("tovi.memberinfo")
obj.main
%>
