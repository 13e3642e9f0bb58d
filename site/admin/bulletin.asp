<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.bulletin")
obj.main
Set obj = Nothing
%>
