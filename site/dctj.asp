<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("mabex.dctj")
obj.main
Set obj = Nothing
%>
