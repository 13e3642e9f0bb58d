<%@ Language=VBScript %>
<%
Set obj = Server.CreateObject("tovi.signout")
obj.main
%>
