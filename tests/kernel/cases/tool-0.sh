latency=0
. /opt/helvane/cases/tool.sh
