<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.saveadmin")
obj.main
Set obj = Nothing
%>
