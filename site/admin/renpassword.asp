<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.renpassword")
obj.main
Set obj = Nothing
%>
