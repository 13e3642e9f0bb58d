<%@ Language=VBScript %>
<%
Set obj = Server.CreateObject("mabex.ddzt")
obj.main
%>
