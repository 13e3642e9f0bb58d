<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.cygledit")
obj.main
Set obj = Nothing
%>
