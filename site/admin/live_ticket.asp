<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.live_ticket")
obj.main
Set obj = Nothing
%>