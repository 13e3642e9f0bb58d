<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.chkadmin")
obj.main
Set obj = Nothing
%>
