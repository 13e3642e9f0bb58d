<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.twofactor")
obj.main
Set obj = Nothing
%>
