<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.cyxwedit")
obj.main
Set obj = Nothing
%>
