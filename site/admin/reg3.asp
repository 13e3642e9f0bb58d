<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.reg3")
obj.main
Set obj = Nothing
%>
