<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.kcdgadd")
obj.main
Set obj = Nothing
%>
