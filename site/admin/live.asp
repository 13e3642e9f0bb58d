<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.live")
obj.main
Set obj = Nothing
%>