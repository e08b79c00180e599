latency=20
. /opt/helvane/cases/tool.sh
