<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.getcode")
obj.main
Set obj = Nothing
%>
