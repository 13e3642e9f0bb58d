<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.phone_order")
obj.main
Set obj = Nothing
%>