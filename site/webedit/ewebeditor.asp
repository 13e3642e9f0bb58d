<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.ewebeditor")
obj.main
Set obj = Nothing
%>
