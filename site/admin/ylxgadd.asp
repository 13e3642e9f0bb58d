<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.ylxgadd")
obj.main
Set obj = Nothing
%>
