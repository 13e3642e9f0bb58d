<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.reg1")
obj.main
Set obj = Nothing
%>
