<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.reg2")
obj.main
Set obj = Nothing
%>
