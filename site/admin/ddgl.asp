<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.ddgl")
obj.main1
Set obj = Nothing
%>