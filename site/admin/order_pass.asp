<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.order_pass")
obj.main
Set obj = Nothing
%>