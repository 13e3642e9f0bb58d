<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.cyxwadd")
obj.main
Set obj = Nothing
%>
