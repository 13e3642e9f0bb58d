<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.chkcode")
obj.main
Set obj = Nothing
%>
