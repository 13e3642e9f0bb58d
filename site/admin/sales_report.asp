<%@ Language=VBScript %>
<%
Dim obj
Set obj = Server.CreateObject("tovi.sales_report")
obj.main
Set obj = Nothing
%>