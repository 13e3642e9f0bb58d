<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.ckdd")
obj.main
Set obj = Nothing
%>
