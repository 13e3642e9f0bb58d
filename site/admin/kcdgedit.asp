<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.kcdgedit")
obj.main
Set obj = Nothing
%>
