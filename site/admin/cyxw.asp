<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.cyxw")
obj.main
Set obj = Nothing
%>
